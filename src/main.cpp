// The plain launcher. Until start-up exists it only shows the start-up title.
#include "runtime/version.h"

#include <exception>
#include <iostream>

int main() {
    try {
        std::cerr << "Tollwick Player v" << tollwick::getVersion() << '\n';
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
    return 0;
}
