// The plain launcher.
#include <string>
#include <vector>

#include "app/launcher.h"

int main(int argc, char** argv) {
    return tollwick::start(false, std::vector<std::string>(argv + 1, argv + argc));
}
