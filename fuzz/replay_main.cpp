// Replays saved fuzz inputs without libFuzzer: every file named on the
// command line, and every file inside a folder named there (in name order),
// goes once through the target's LLVMFuzzerTestOneInput. The gcc builds run
// the kept corpus and the regression inputs this way as ordinary tests, so an
// input that once crashed a target keeps being checked by every build.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

bool replayFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "replay: cannot open %s\n", path.c_str());
        return false;
    }
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    if (in.bad()) {
        std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
        return false;
    }
    // An empty vector has no data(); give the target a valid pointer anyway.
    static const std::uint8_t kNothing = 0;
    const auto* data =
        bytes.empty() ? &kNothing : reinterpret_cast<const std::uint8_t*>(bytes.data());
    LLVMFuzzerTestOneInput(data, bytes.size());
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    std::size_t replayed = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg(argv[i]);
        std::error_code ec;
        if (fs::is_directory(arg, ec)) {
            std::vector<fs::path> files;
            for (const auto& entry : fs::directory_iterator(arg, ec)) {
                if (entry.is_regular_file()) {
                    files.push_back(entry.path());
                }
            }
            if (ec) {
                std::fprintf(stderr, "replay: cannot list %s: %s\n", arg.c_str(),
                             ec.message().c_str());
                ok = false;
                continue;
            }
            std::sort(files.begin(), files.end());
            for (const fs::path& file : files) {
                std::fprintf(stderr, "replay: %s\n", file.c_str());
                ok = replayFile(file) && ok;
                ++replayed;
            }
        } else if (fs::is_regular_file(arg, ec)) {
            std::fprintf(stderr, "replay: %s\n", arg.c_str());
            ok = replayFile(arg) && ok;
            ++replayed;
        } else {
            std::fprintf(stderr, "replay: no such file or folder: %s\n", arg.c_str());
            ok = false;
        }
    }
    std::fprintf(stderr, "replay: %zu input(s) done\n", replayed);
    return ok ? 0 : 1;
}
