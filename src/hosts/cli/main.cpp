// Stub: replaced by the headless runner.
int main() { return 0; }
