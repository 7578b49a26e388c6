#include "game/game-rules.h"

#include "audioman.h"
#include "dataman.h"
#include "game/game-level.h"
#include "game/game-lib.h"
#include "physics/actor-contact-listener.h"

namespace {

LibSound Slot(GrabSound sound) {
    switch (sound) {
        case GRAB_SOUND_HEAD: return LIB_SND_HEAD_GRAB;
        case GRAB_SOUND_TAIL: return LIB_SND_TAIL_GRAB;
        case GRAB_SOUND_TAIL_HARD: return LIB_SND_TAIL_GRAB_HARD;
    }
    return LIB_SND_HEAD_GRAB;
}

// The level being played is `level`; the grab sounds are `lib`'s.
class GameContacts : public ContactGame {
public:
    const ContactLevel* Level() const override { return &level; }
    const char* GrabSoundName(GrabSound sound) const override { return DeziDediLib::SoundName(Slot(sound)); }
    void PlayGrabSound(GrabSound sound) override { aman.PlaySound(lib.Sound(Slot(sound)), 1.0f, 0.0f, 1.0f); }
};

GameContacts game_contacts;

// What the game reads by name as something other than a world or an actor
// definition, as paths of the data tree in lower case: the program's and
// developer's settings, the timeline, story and dialogue, the tables, the
// languages ("data-<locale>/"), and the folders of layouts, scripts,
// effects, models, fonts, pictures, sounds, leaderboards, achievements
// and purchases.
const char* const kReservedData[] = {"prog.xml",
                                     "developer.xml",
                                     "timeline.xml",
                                     "story.xml",
                                     "dialogue.xml",
                                     "actors.xml",
                                     "materials.xml",
                                     "ammos.xml",
                                     "worlds.xml",
                                     "language.xml",
                                     "language-new-strings.xml",
                                     "ui/",
                                     "fxs/",
                                     "models/",
                                     "fonts/",
                                     "core/",
                                     "gfx/",
                                     "images/",
                                     "music/",
                                     "sfx/",
                                     "loader/",
                                     "actors/gfx/",
                                     "leaderboards/",
                                     "achievements/",
                                     "in-app-purchases/",
                                     "data-*/"};

}  // namespace

void GameRules::Install() {
    ActorBehaviors::AddFamily(MakeWormBehavior);
    ActorBehaviors::AddFamily(MakeHazardBehaviors);
    ActorBehaviors::AddFamily(MakeCollectableBehaviors);
    ActorContactListener::game = &game_contacts;
    SetReservedDataNames(kReservedData, (int)(sizeof kReservedData / sizeof kReservedData[0]));
}
