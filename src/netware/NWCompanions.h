// The component's server, printing and bindery-property parts. This program uses none
// of them; the session only creates and destroys them in their place in its order.
#pragma once

namespace vantle {

class TNWServer {
public:
    TNWServer();
    ~TNWServer();
};

class TNWPrint {
public:
    TNWPrint();
    ~TNWPrint();
};

class TNWProp {
public:
    TNWProp();
    ~TNWProp();
};

} // namespace vantle
