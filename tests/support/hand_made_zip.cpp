#include "support/hand_made_zip.h"

namespace tollwick::test {

std::string handMadeZip(const HandMadeZip& zip) {
    const auto put = [](std::string& out, std::uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i, value >>= 8)
            out += static_cast<char>(value & 0xFF);
    };
    std::string out, directory, name(zip.nameLength, '0');
    for (std::size_t i = 0; i < zip.entries; ++i) {
        for (std::size_t n = i, at = name.size(); at-- > 0; n /= 10)
            name[at] = static_cast<char>('0' + n % 10);
        // Version 2.0, no flags, stored, dated 1980-01-01, CRC and sizes 0, no extra field.
        directory += "PK\1\2", put(directory, 20, 2), put(directory, 20, 2), put(directory, 0, 4);
        put(directory, 0x21 << 16, 4), put(directory, 0, 12), put(directory, name.size(), 2);
        put(directory, 0, 12), put(directory, out.size(), 4), directory += name;
        out += "PK\3\4", put(out, 20, 2), put(out, 0, 4), put(out, 0x21 << 16, 4), put(out, 0, 12);
        put(out, name.size(), 2), put(out, 0, 2), out += name;
    }
    const std::uint64_t directoryAt = out.size(), zip64At = out.size() + directory.size();
    out += directory;
    if (zip.zip64Count) {
        out += "PK\6\6", put(out, 44, 8), put(out, 45, 2), put(out, 45, 2), put(out, 0, 8);
        put(out, *zip.zip64Count, 8), put(out, *zip.zip64Count, 8), put(out, directory.size(), 8);
        put(out, directoryAt, 8), out += "PK\6\7", put(out, 0, 4), put(out, zip64At, 8), put(out, 1, 4);
    }
    out += "PK\5\6", put(out, 0, 4), put(out, zip.plainCount, 2), put(out, zip.plainCount, 2);
    put(out, directory.size(), 4), put(out, directoryAt, 4), put(out, zip.comment.size(), 2);
    return out + zip.comment;
}

} // namespace tollwick::test
