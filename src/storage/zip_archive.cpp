#include "storage/zip_archive.h"

#include <algorithm>
#include <fstream>

#include <zip.h>

#include "storage/zip_end_records.h"

namespace tollwick {

namespace {

// Paths reach libzip as UTF-8 on every platform.
std::string utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return {reinterpret_cast<const char*>(text.data()), text.size()};
}

std::string errorText(zip_error_t* error) {
    return zip_error_strerror(error);
}

void refuseLargeClaims(const ZipClaims& claims, std::size_t maxEntries) {
    if (claims.entries > maxEntries || claims.directoryBytes / ZipReader::MAX_DIRECTORY_BYTES_PER_ENTRY > maxEntries)
        throw ZipTooManyEntries("The archive claims more than " + std::to_string(maxEntries) + " entries");
}

} // namespace

ZipReader::ZipReader(std::string_view bytes, std::size_t maxEntries) {
    const auto read = [bytes](std::uint64_t offset, std::size_t length) {
        return std::string(bytes.substr(static_cast<std::size_t>(offset), length));
    };
    refuseLargeClaims(claimsOfEndRecords(bytes.size(), read), maxEntries);
    zip_error_t error;
    zip_error_init(&error);
    open(zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error), &error);
}

ZipReader::ZipReader(const std::filesystem::path& file, std::size_t maxEntries) {
    std::ifstream in(file, std::ios::binary);
    std::error_code sizeError;
    const std::uint64_t size = std::filesystem::file_size(file, sizeError);
    if (!in || sizeError)
        throw Error("Cannot read " + utf8(file));
    const auto read = [&in](std::uint64_t offset, std::size_t length) {
        std::string bytes(length, '\0');
        in.clear();
        in.seekg(static_cast<std::streamoff>(offset));
        in.read(bytes.data(), static_cast<std::streamsize>(length));
        bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
        return bytes;
    };
    refuseLargeClaims(claimsOfEndRecords(size, read), maxEntries);
    zip_error_t error;
    zip_error_init(&error);
    open(zip_source_file_create(utf8(file).c_str(), 0, -1, &error), &error);
}

void ZipReader::open(zip_source_t* source, zip_error_t* error) {
    if (source)
        _zip = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, error);
    if (!_zip) {
        const std::string reason = errorText(error);
        zip_source_free(source);
        zip_error_fini(error);
        throw Error(reason);
    }
    zip_error_fini(error);
    const zip_int64_t count = zip_get_num_entries(_zip, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(_zip, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW, &stat) != 0 ||
            !(stat.valid & ZIP_STAT_NAME)) {
            const std::string reason = zip_strerror(_zip);
            zip_discard(_zip);
            _zip = nullptr;
            throw Error(reason);
        }
        _entries.push_back({stat.name, (stat.valid & ZIP_STAT_SIZE) ? stat.size : 0});
    }
}

ZipReader::~ZipReader() {
    if (_zip)
        zip_discard(_zip);
}

std::string ZipReader::read(std::size_t index, std::uint64_t maxBytes) {
    zip_file_t* file = zip_fopen_index(_zip, index, 0);
    if (!file)
        throw Error(zip_strerror(_zip));
    std::string content;
    char buffer[64 * 1024];
    for (;;) {
        const zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
        if (n < 0) {
            const std::string reason = zip_error_strerror(zip_file_get_error(file));
            zip_fclose(file);
            throw Error(reason);
        }
        if (n == 0)
            break;
        if (content.size() + static_cast<std::uint64_t>(n) > maxBytes) {
            zip_fclose(file);
            throw ZipEntryTooLarge("it unpacks to more than " + std::to_string(maxBytes) + " bytes");
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    zip_fclose(file);
    return content;
}

ZipWriter::ZipWriter(const std::filesystem::path& path) : _path(path) {
    int code = 0;
    _zip = zip_open(utf8(path).c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!_zip) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        const std::string reason = errorText(&error);
        zip_error_fini(&error);
        throw Error("Cannot make " + path.string() + ": " + reason);
    }
}

ZipWriter::~ZipWriter() {
    if (_zip)
        zip_discard(_zip);
}

void ZipWriter::addText(const std::string& name, std::string content) {
    _texts.push_back(std::make_unique<std::string>(std::move(content)));
    const std::string& text = *_texts.back();
    zip_source_t* source = zip_source_buffer(_zip, text.data(), text.size(), 0);
    if (!source || zip_file_add(_zip, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
        zip_source_free(source);
        throw Error("Cannot add " + name + " to the archive: " + zip_strerror(_zip));
    }
}

void ZipWriter::addFile(const std::string& name, const std::filesystem::path& file) {
    zip_source_t* source = zip_source_file(_zip, utf8(file).c_str(), 0, -1);
    const zip_int64_t index = source ? zip_file_add(_zip, name.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
    if (index < 0) {
        zip_source_free(source);
        throw Error("Cannot add " + name + " to the archive: " + zip_strerror(_zip));
    }
    zip_set_file_compression(_zip, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
}

void ZipWriter::close() {
    if (zip_close(_zip) != 0)
        throw Error("Cannot write " + _path.string() + ": " + zip_strerror(_zip));
    _zip = nullptr;
}

} // namespace tollwick
