// The multipart upload, through the whole HTTP frame of a running system: the input is the body
// of a POST to "/upload" (boundary "fuzz"). Refusals are fine; a crash, a sanitizer report or a
// temporary file left behind is not.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include <httplib.h>
#include <spdlog/spdlog.h>

#include "app/system.h"
#include "runtime/paths.h"

using namespace tollwick;

namespace {

struct Running {
    std::filesystem::path data;
    System* system = nullptr;
    int port = -1;
};

Running& running() {
    static Running r = [] {
        Running out;
        out.data = std::filesystem::temp_directory_path() / ("tollwick-fuzz-upload-" + std::to_string(::getpid()));
        std::filesystem::create_directories(out.data);
        ::setenv("TOLLWICK_DATA_DIR", out.data.c_str(), 1);
        ::setenv("TOLLWICK_SERVICE_URL", "http://127.0.0.1:9", 1);
        spdlog::set_level(spdlog::level::warn);
        out.system = new System(); // lives as long as the process, like the real one
        out.system->loadDocuments();
        out.port = out.system->http().bind("127.0.0.1", 0);
        std::thread([system = out.system] { system->http().serve(); }).detach();
        while (!out.system->http().isRunning())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return out;
    }();
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Running& r = running();
    static httplib::Client client("127.0.0.1", r.port);
    client.set_keep_alive(true);
    client.set_tcp_nodelay(true); // head and body go in two writes: no waiting for acknowledgements
    const std::string body(reinterpret_cast<const char*>(data), size);
    const auto answer = client.Post("/upload", body, "multipart/form-data; boundary=fuzz");
    if (answer && answer->status >= 500)
        __builtin_trap();
    for (const auto& entry : std::filesystem::directory_iterator(r.data))
        if (entry.path().filename().string().starts_with(".upload-"))
            __builtin_trap();
    return 0;
}
