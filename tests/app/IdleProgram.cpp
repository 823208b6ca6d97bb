// A harmless program that only waits, for tests that need a process of a given name to find
// and stop. It ends by itself after a minute so a failed test leaves nothing running for long.
#include <chrono>
#include <thread>

int main() {
    std::this_thread::sleep_for(std::chrono::seconds(60));
    return 0;
}
