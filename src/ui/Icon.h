// The program's own icon, shared by every window and the tray.
#pragma once

class QIcon;

namespace vantle {

/// Every rendered size from 16 to 256 pixels.
QIcon VantleIcon();

} // namespace vantle
