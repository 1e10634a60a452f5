#ifndef CORVIDCOMMANDS_H
#define CORVIDCOMMANDS_H

class CorvidPlatform;

// The host's commands, as a host team registers its own with the command controller:
// "Nest" nests the current document again, "Sheet" asks for the sheet size in a dialog,
// "Part" for a part's quantity in a modal popup, "Clear" clears the nesting after a
// confirmation.
namespace CorvidCommands {

void Register(CorvidPlatform *platform);

} // namespace CorvidCommands

#endif // CORVIDCOMMANDS_H
