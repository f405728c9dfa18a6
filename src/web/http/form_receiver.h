#pragma once
// Takes in the parts of an upload form as they arrive: the first part named "file" goes to a
// temporary file of `files` in `directory` (its MD5 and size counted on the way, refused beyond
// `maxFileBytes`), other parts are kept as text up to MAX_FORM_FIELD_BYTES in all. Nothing else of
// the body is held in memory.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/crypto.h"
#include "storage/files.h"
#include "web/http/multipart.h"
#include "web/http/request_plan.h"
#include "web/http/web_types.h"

namespace tollwick::web {

class FormReceiver : public MultipartReader::Parts {
public:
    explicit FormReceiver(std::filesystem::path directory, std::uint64_t maxFileBytes = MAX_UPLOAD_BYTES,
                          Files& files = systemFiles());

    // Each answers false when the form must not be read further; refusal() then tells why.
    bool beginPart(std::string name, std::string filename) override;
    bool partData(std::string_view bytes) override;

    // The refusal that stopped the reading, if one did.
    const std::optional<HttpError>& refusal() const noexcept { return _refusal; }
    // The parts, in the order they came; call once, after the last byte.
    std::vector<UploadedPart> takeParts();

private:
    std::filesystem::path _directory;
    std::uint64_t _maxFileBytes;
    Files& _files;
    std::vector<UploadedPart> _parts;
    UploadedPart* _current = nullptr;
    bool _fileTaken = false;
    bool _currentIsFile = false;
    std::optional<Md5Digest> _md5;
    std::size_t _fieldBytes = 0;
    std::optional<HttpError> _refusal;
};

// Reads the whole body of `body` into `form` when `contentType` names a multipart form, and drops
// it otherwise (the form then has no parts). HttpError when the form is refused, malformed or does
// not arrive in time.
void readForm(BodyReader& body, std::optional<std::string_view> contentType, FormReceiver& form);

} // namespace tollwick::web
