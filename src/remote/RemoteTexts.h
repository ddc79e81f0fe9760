// What the musician and the trace are told when an engine host stops. The
// trace lines are one per stop, per restart and per giving up.
#pragma once

namespace remote::texts {

inline constexpr char stopEnded[] = "the process ended";
inline constexpr char stopNoAnswer[] = "no answer in time";
inline constexpr char stopGarbage[] = "an answer that made no sense";
inline constexpr char stopTrace[] = "engine host stopped: %s (exit code 0x%08lX)\n";
inline constexpr char restartTrace[] = "engine host started again, %lu ms after it stopped\n";
inline constexpr char givenUpTrace[] = "engine host not started again: %d stops within a minute\n";

inline constexpr char restartMessage[] =
    "The sound engine stopped unexpectedly and was started again with your settings.\n"
    "Notes that were sounding at that moment were cut off.";
inline constexpr char givenUpMessage[] =
    "The sound engine stopped unexpectedly three times within a minute and was not started again.\n"
    "Velmorant stays silent until the host switches it off and on again; your settings are kept.";

}  // namespace remote::texts
