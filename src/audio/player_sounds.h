#pragma once
// The plays the system starts, by song resolution over the player, each recorded in the play log:
// the scheduler's and the alarm's (through SoundStarter) and the interface's.
#include <memory>
#include <string>

#include "audio/logged_play.h"
#include "audio/player.h"
#include "scheduling/clock.h"
#include "scheduling/sound_starter.h"
#include "storage/play_log.h"

namespace tollwick {

class PlayerSounds : public SoundStarter {
public:
    // Every reference must outlive every play.
    PlayerSounds(Player& player, PlayLog& log, const Clock& clock) : _player(player), _log(log), _clock(clock) {}

    std::shared_ptr<PlayHandle> playSongById(const DB& db, const std::string& id, const PlayOrigin& origin,
                                             long long count = 1, double delay = 0.0) override;
    std::shared_ptr<PlayHandle> playSongByDescriptor(const DB& db, const PlayDesc& desc,
                                                     const PlayOrigin& origin) override;
    std::shared_ptr<PlayHandle> playSongThenRemoveFile(const DB& db, const std::string& id,
                                                       const PlayOrigin& origin) override;
    void recordSkipped(const DB& db, const std::string& id, const PlayOrigin& origin,
                       const std::string& detail) override;

    // Plays the announcement `announcementId` of the vendor service, downloaded into `path`, after
    // the announcement signal, and deletes the file afterwards; refused at the player's bound as a
    // play from the interface is. Expects the document mutex held.
    std::shared_ptr<PlayHandle> playAnnouncement(const DB& db, const std::string& path,
                                                 const std::string& announcementId);
    // Logs an announcement that could not be had at all (its download failed).
    void recordFailedAnnouncement(const std::string& announcementId, const std::string& detail);

private:
    // The log entry of a play of `songId` (named `songName`) from `origin`, not yet written.
    std::shared_ptr<LoggedPlay> begin(const std::string& songId, const std::string& songName, const PlayOrigin& origin,
                                      PlayLogEntry* initial = nullptr);
    // Starts a play through `play`, logged as `logged`; an error is logged as a failure and passed on.
    template <class Start>
    std::shared_ptr<PlayHandle> logged(const std::shared_ptr<LoggedPlay>& logged, Start&& play);

    Player& _player;
    PlayLog& _log;
    const Clock& _clock;
};

} // namespace tollwick
