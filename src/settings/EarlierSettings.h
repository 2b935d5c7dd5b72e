#pragma once
// The settings of the earlier layout, where one machine-wide folder, given at set-up to one
// learner, held the settings file and the store of named values.

#include <filesystem>

namespace vellaro {

// Takes the earlier settings over into the learner's own system folder, once: when the system
// folder holds no settings file yet, and the earlier folder belongs to the learner and holds a
// settings file that can be read. The store of named values comes along unless the learner has
// one already. The settings file is written last, so a copy cut short is made again at the next
// start. When the stored work folder does not exist (or none is stored) and the earlier default
// work folder does, the copy names that one, as the earlier program would have used it: the
// learner's exercises stay where they are. Nothing in the earlier folders is changed, and
// nothing fails outwards. True when the settings were taken over.
bool TakeOverEarlierSettings(const std::filesystem::path& earlierSystem,
                             const std::filesystem::path& earlierWork,
                             const std::filesystem::path& system);

} // namespace vellaro
