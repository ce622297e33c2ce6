// vantle-schedctl: the scheduler's engine for scripts and machines without a display.
int main() {
    return 0;
}
