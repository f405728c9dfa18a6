#pragma once
// One audio file known to the system, stored in db.songs under its id.
#include <array>
#include <string>
#include <tuple>

#include "model/my_date_time.h"
#include "model/record.h"

namespace tollwick {

// The kind of an asset, which also tells where its file lies.
enum class AudioAssetCategory {
    BUILT_IN_SIGNAL = 0,         // shipped with the system, in the asset directory
    USER_SIGNAL = 1,             // uploaded by the user
    PROGRAMME = 2,               // uploaded for a one-off programme
    PROGRAMMED_ANNOUNCEMENT = 3, // downloaded from the vendor service
};

template <>
struct EnumMembers<AudioAssetCategory> {
    static constexpr std::array values{AudioAssetCategory::BUILT_IN_SIGNAL, AudioAssetCategory::USER_SIGNAL,
                                       AudioAssetCategory::PROGRAMME, AudioAssetCategory::PROGRAMMED_ANNOUNCEMENT};
};

struct AudioAsset {
    std::string name;
    std::string md5;      // of the file's bytes, 32 lowercase hexadecimal digits
    std::string filename; // without directory
    int lengthSec = -1;   // playing time in whole seconds; -1 = unknown
    AudioAssetCategory storageCategory = AudioAssetCategory::USER_SIGNAL;
    MyDateTime lastModified; // when the record is made: now

    bool isSignal() const noexcept {
        return storageCategory == AudioAssetCategory::USER_SIGNAL ||
               storageCategory == AudioAssetCategory::BUILT_IN_SIGNAL;
    }

    static constexpr auto fields = std::tuple{
        field("name", &AudioAsset::name),
        field("md5", &AudioAsset::md5),
        field("filename", &AudioAsset::filename),
        field("lengthSec", &AudioAsset::lengthSec),
        field("storageCategory", &AudioAsset::storageCategory),
        field("lastModified", &AudioAsset::lastModified),
    };
};

} // namespace tollwick
