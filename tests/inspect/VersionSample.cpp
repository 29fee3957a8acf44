// A program that is only ever read for its version resource, never run.
int main() { return 0; }
