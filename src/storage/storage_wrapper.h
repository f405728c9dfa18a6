#pragma once
// StorageWrapper: one stored document (database, cache or password store) held in memory, read from
// its file at start-up and written back only when its content changed.
//
// Not locked by itself: every use goes through the document mutex (storage/store.h).
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "model/json.h"
#include "model/record.h"
#include "runtime/errors.h"
#include "storage/atomic_file.h"
#include "storage/change_signal.h"
#include "storage/files.h"

namespace tollwick {

// A document record tells whether a parsed file is acceptable (and may migrate it in place).
template <class T>
concept Document = Record<T> && requires(Json& loaded) {
    { T::checkAfterLoad(loaded) } -> std::same_as<bool>;
};

// What became of reading a document file.
struct DocumentLoad {
    enum class Outcome {
        LOADED,
        MISSING,    // there is no such file
        UNREADABLE, // the file is there but cannot be read (permissions, an input/output error)
        REFUSED,    // the document does not accept the file's content (an unknown version)
    };
    Outcome outcome = Outcome::MISSING;
    std::string reason; // for UNREADABLE, the system's text for the failure
};

// The parsed content of a document file, or nothing with `load` telling why (MISSING or UNREADABLE).
// Text that is not JSON fails with an Error that names the file and what is wrong.
std::optional<Json> readDocumentFile(const std::filesystem::path& path, DocumentLoad& load,
                                     Files& files = systemFiles());

// Rethrows a decoding failure of a document file as one line naming the file.
[[noreturn]] void throwUndecodableDocument(const std::filesystem::path& path, const std::exception& error);

template <Document T>
class StorageWrapper {
public:
    // A document that tells `changes` of each change; without one, nobody is told.
    explicit StorageWrapper(ChangeSignal* changes = nullptr) noexcept : _changes(changes) {}
    StorageWrapper(const StorageWrapper&) = delete;
    StorageWrapper& operator=(const StorageWrapper&) = delete;

    // The document for reading, which never counts as a change. Later loads replace its content in
    // place, so references stay valid.
    const T& operator*() const noexcept { return _wrapped; }
    const T* operator->() const noexcept { return &_wrapped; }

    // The document for changing: counts as a touch (touches()) and rings the change signal, so the
    // writer comes to look. Make the whole change with the document mutex held: the writer copies
    // under it, so it sees the change only once it is complete.
    T& edit() noexcept {
        touch();
        return _wrapped;
    }

    // How often the document was handed out for change. While it stays the same the content is
    // unchanged, so watchers can skip a walk over the whole document; safe to read without the mutex.
    std::uint64_t touches() const noexcept { return _touches.load(); }

    // Reads the file at `path`, which becomes the document's file even when reading fails, and clears
    // away what interrupted writes of it left behind. Answers
    // false, leaving the document as it was, when the file cannot be read or the document refuses
    // its content; fails with an Error naming the file when it is not JSON or cannot be decoded.
    bool load(const std::filesystem::path& path, Files& files = systemFiles()) {
        return loadFile(path, files).outcome == DocumentLoad::Outcome::LOADED;
    }

    // load, telling a missing file from one that cannot be read or is refused.
    DocumentLoad loadFile(const std::filesystem::path& path, Files& files = systemFiles()) {
        _path = path;
        removeStaleTemporaryFiles(path);
        DocumentLoad result;
        std::optional<Json> loaded = readDocumentFile(path, result, files);
        if (!loaded)
            return result;
        if (!T::checkAfterLoad(*loaded)) {
            result.outcome = DocumentLoad::Outcome::REFUSED;
            return result;
        }
        try {
            _wrapped = from_dict<T>(*loaded);
            touch();
        } catch (const std::exception& e) {
            throwUndecodableDocument(path, e);
        }
        result.outcome = DocumentLoad::Outcome::LOADED;
        return result;
    }

    // Writes the document to its file now. On failure the old file stays intact and the recorded
    // fingerprint is unchanged, so the next saveAuto tries again.
    void saveForce(Files& files = systemFiles()) {
        if (!_path)
            throw Error("Cannot save a document that was never loaded: it has no file");
        const Fingerprint current = fingerprintOf(_wrapped);
        files.writeAtomically(*_path, to_json(_wrapped), isPrivate());
        _hash = current;
    }

    // Writes the document when its content changed since the last write; the first call only
    // records the content. Answers whether it wrote.
    bool saveAuto(Files& files = systemFiles()) {
        const Fingerprint current = fingerprintOf(_wrapped);
        if (!_hash) {
            _hash = current;
            return false;
        }
        if (*_hash == current)
            return false;
        saveForce(files);
        return true;
    }

    // Records the current content as the written one, as the first saveAuto does: from now on
    // saveAuto writes whatever changes, even a change made before its first call.
    void rememberContent() { _hash = fingerprintOf(_wrapped); }

    // A copy of the document to be written outside the mutex.
    struct Change {
        std::filesystem::path path;
        T content;
        Fingerprint fingerprint;
    };

    // The document's content when it changed since it was last written, as saveAuto decides (the
    // first call only records the content); nothing otherwise. A copy, not the JSON text: copying
    // is many times faster than encoding, and this runs with the mutex held.
    std::optional<Change> takeChange() {
        const Fingerprint current = fingerprintOf(_wrapped);
        if (!_hash) {
            _hash = current;
            return std::nullopt;
        }
        if (*_hash == current)
            return std::nullopt;
        if (!_path)
            throw Error("Cannot save a document that was never loaded: it has no file");
        return Change{*_path, _wrapped, current};
    }

    // Writes a change taken by takeChange; needs no mutex. Fails as saveForce does.
    static void write(const Change& change, Files& files = systemFiles()) {
        files.writeAtomically(change.path, to_json(change.content), isPrivate());
    }

    // Records that the content with `fingerprint` is in the file now.
    void markWritten(Fingerprint fingerprint) noexcept { _hash = fingerprint; }

    const std::optional<std::filesystem::path>& path() const noexcept { return _path; }

private:
    static constexpr bool isPrivate() {
        if constexpr (requires { T::FILE_IS_PRIVATE; })
            return T::FILE_IS_PRIVATE;
        else
            return false;
    }

    void touch() noexcept {
        _touches.fetch_add(1);
        if (_changes)
            _changes->ring();
    }

    T _wrapped{};
    ChangeSignal* _changes;
    std::atomic<std::uint64_t> _touches{0};
    std::optional<std::filesystem::path> _path;
    std::optional<Fingerprint> _hash;
};

} // namespace tollwick
