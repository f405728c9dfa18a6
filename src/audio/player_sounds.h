#pragma once
// The scheduler's and the alarm's way to start plays: song resolution over the player.
#include "audio/player.h"
#include "scheduling/sound_starter.h"

namespace tollwick {

class PlayerSounds : public SoundStarter {
public:
    explicit PlayerSounds(Player& player) : _player(player) {}

    std::shared_ptr<PlayHandle> playSongById(const DB& db, const std::string& id, long long count = 1,
                                             double delay = 0.0) override;
    std::shared_ptr<PlayHandle> playSongByDescriptor(const DB& db, const PlayDesc& desc) override;
    std::shared_ptr<PlayHandle> playSongThenRemoveFile(const DB& db, const std::string& id) override;

private:
    Player& _player;
};

} // namespace tollwick
