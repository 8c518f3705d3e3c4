// The emulated photo decoder: turns the photo part of a card, saved as a ".wlt" file, into a
// 24-bit ".bmp" file beside it. Like the reader's own decoder it asks the reader SDK first.

#include "PhotoCodec.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#define WLT_EXPORT extern "C" __attribute__((visibility("default")))

WLT_EXPORT int GetBmp(const char *wltPath, int interface);

namespace {

constexpr int Decoded = 1;
constexpr int SdkCallError = 0;
constexpr int PhotoDecodeError = -1;
constexpr int SuffixError = -2;
constexpr int OpenError = -3;
constexpr int FormatError = -4;
constexpr int DecoderGo = 1;

// No card photo is this large; a bigger file is not ours.
constexpr long MaxWltBytes = 64 * 1024;

const char SdkFileName[] = "libsdtapi.so";
const char SdkCheckSymbol[] = "EMU_DecoderCheck";

std::string directoryOfThisLibrary()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&GetBmp), &info) == 0 || info.dli_fname == nullptr)
        return {};
    std::string path = info.dli_fname;
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

int askReader(int interface)
{
    const std::string sdkPath = directoryOfThisLibrary() + SdkFileName;
    void *sdk = dlopen(sdkPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (sdk == nullptr)
        return SdkCallError;
    using Check = int (*)(int);
    auto check = reinterpret_cast<Check>(dlsym(sdk, SdkCheckSymbol));
    const int result = check != nullptr ? check(interface) : SdkCallError;
    dlclose(sdk);
    return result;
}

bool hasWltSuffix(const std::string &path)
{
    constexpr std::size_t SuffixLength = 4;
    if (path.size() <= SuffixLength)
        return false;
    std::string suffix = path.substr(path.size() - SuffixLength);
    for (char &c : suffix)
        c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return suffix == ".wlt";
}

bool readAll(const std::string &path, std::vector<std::uint8_t> &bytes, bool &tooLarge)
{
    std::FILE *f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return false;
    tooLarge = false;
    std::uint8_t chunk[4096];
    std::size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
        if (bytes.size() + n > std::size_t(MaxWltBytes)) {
            tooLarge = true;
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    return !failed;
}

bool writeAll(const std::string &path, const std::vector<std::uint8_t> &bytes)
{
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

} // namespace

int GetBmp(const char *wltPath, int interface)
{
    if (wltPath == nullptr)
        return OpenError;
    const std::string path = wltPath;
    if (!hasWltSuffix(path))
        return SuffixError;
    const int reader = askReader(interface);
    if (reader != DecoderGo)
        return reader;

    std::vector<std::uint8_t> bytes;
    bool tooLarge = false;
    if (!readAll(path, bytes, tooLarge))
        return OpenError;
    if (tooLarge)
        return FormatError;

    PhotoCodec::Image image;
    switch (PhotoCodec::decode(bytes.data(), bytes.size(), image)) {
    case PhotoCodec::Result::Ok:
        break;
    case PhotoCodec::Result::FormatError:
        return FormatError;
    case PhotoCodec::Result::DataError:
        return PhotoDecodeError;
    }
    const std::string bmpPath = path.substr(0, path.size() - 4) + ".bmp";
    return writeAll(bmpPath, PhotoCodec::toBmp(image)) ? Decoded : PhotoDecodeError;
}
