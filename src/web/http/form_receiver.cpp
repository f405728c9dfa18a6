#include "web/http/form_receiver.h"

#include "storage/temporary_names.h"

namespace tollwick::web {

FormReceiver::FormReceiver(std::filesystem::path directory, std::uint64_t maxFileBytes, Files& files)
    : _directory(std::move(directory)), _maxFileBytes(maxFileBytes), _files(files) {}

bool FormReceiver::beginPart(std::string name, std::string filename) {
    if (_current && _currentIsFile)
        _current->md5 = _md5->hex();
    _currentIsFile = !_fileTaken && name == "file";
    _fieldBytes += name.size() + filename.size();
    if (_fieldBytes > MAX_FORM_FIELD_BYTES) {
        _refusal.emplace(413, "The form's fields are larger than 64 KiB");
        return false;
    }
    _parts.push_back(UploadedPart{std::move(name), std::move(filename), {}, nullptr, 0, {}});
    _current = &_parts.back();
    if (_currentIsFile) {
        _fileTaken = true;
        _current->stored = _files.createTemporary(_directory, UPLOAD_PREFIX);
        _md5.emplace();
    }
    return true;
}

bool FormReceiver::partData(std::string_view bytes) {
    if (!_current)
        return true;
    if (!_currentIsFile) {
        _fieldBytes += bytes.size();
        if (_fieldBytes > MAX_FORM_FIELD_BYTES) {
            _refusal.emplace(413, "The form's fields are larger than 64 KiB");
            return false;
        }
        _current->content.append(bytes);
        return true;
    }
    _current->size += bytes.size();
    if (_current->size > _maxFileBytes) {
        _refusal.emplace(413, "The file is larger than " + std::to_string(_maxFileBytes >> 20) + " MiB");
        return false;
    }
    _md5->update(bytes);
    _current->stored->append(bytes);
    return true;
}

std::vector<UploadedPart> FormReceiver::takeParts() {
    if (_current && _currentIsFile)
        _current->md5 = _md5->hex();
    _current = nullptr;
    return std::move(_parts);
}

void readForm(BodyReader& body, std::optional<std::string_view> contentType, FormReceiver& form) {
    const std::optional<std::string> boundary = contentType ? multipartBoundary(*contentType) : std::nullopt;
    std::optional<MultipartReader> reader;
    if (boundary)
        reader.emplace(*boundary, form);
    std::string piece(64 * 1024, '\0');
    for (;;) {
        const long n = body.read(piece.data(), piece.size());
        if (n < 0)
            throw HttpError(408, "The upload did not arrive in time");
        if (n == 0)
            break;
        if (!reader)
            continue;
        switch (reader->feed(std::string_view(piece.data(), static_cast<std::size_t>(n)))) {
        case MultipartReader::State::READING:
        case MultipartReader::State::COMPLETE: // what follows the form is read and dropped
            break;
        case MultipartReader::State::STOPPED:
            if (form.refusal())
                throw *form.refusal();
            [[fallthrough]];
        case MultipartReader::State::MALFORMED:
            throw HttpError(400, "The upload is not a well-formed multipart form");
        }
    }
    if (reader && reader->state() != MultipartReader::State::COMPLETE)
        throw HttpError(400, "The upload is not a well-formed multipart form");
}

} // namespace tollwick::web
