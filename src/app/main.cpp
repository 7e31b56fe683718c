// Telvara's entry point.
#include <cstdio>

int main() {
    std::puts("Telvara: the runtime foundation is built; the window and screens follow.");
    return 0;
}
