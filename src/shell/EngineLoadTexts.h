// Where the engine module is looked for and what the user is told when it
// cannot be used: shared by the loader and the instance that gives up on an
// engine after loading it.
#pragma once

namespace shell {

// Kept as is: engine installers write the engine path under this key.
inline constexpr char engineKeyPath[] = "Software\\Korvanta\\SoftSynth";
// Kept as is: engine modules are installed under this file name ending.
inline constexpr char engineSuffix[] = "Engine.dll";
// Kept as is, like the texts below: users see it in the failure message.
inline constexpr char defaultEngineName[] = "Zandoruvel2";
// Kept as is (the misspelling too): users and support tools see these texts.
inline constexpr char loadErrorCaption[] = "Zandoruvel2 VSTi";
inline constexpr char libraryFailedFormat[] = "Error loading the following executable:\n%s";
inline constexpr char factoryFailedFormat[] = "Cannot instantiate %s:\ninitialization faied!";

}  // namespace shell
