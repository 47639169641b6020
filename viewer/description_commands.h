#pragma once

namespace viewer {

class MainLink;

/**
 * The commands that change the description stored in the current picture file. Each shows its own message
 * when there is nothing to do and raises an error (for the guard to report) when it cannot go on.
 *
 * Both save and delete cut the old block off in place and show the picture again before anything else, so
 * the picture held afterwards is the bare picture. Before they cut anything they make sure that the current
 * picture is the list's selected entry, that the file still ends in the block that was shown, and (to save)
 * that the file can be replaced; after the cut, a failure of the re-display or of the write puts the cut bytes
 * back, so a failed command leaves the file as it was.
 */
void saveDescription(MainLink& main);
void deleteDescription(MainLink& main);

} // namespace viewer
