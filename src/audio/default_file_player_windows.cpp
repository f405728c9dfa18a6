#include "audio/file_player.h"
#include "audio/windows_file_player.h"

namespace tollwick {

FilePlayerFactory defaultFilePlayerFactory() {
    return [] { return std::make_unique<WindowsFilePlayer>(systemMci()); };
}

} // namespace tollwick
