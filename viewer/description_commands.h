#pragma once

namespace viewer {

class MainLink;

/**
 * The commands that change the description stored in the current picture file. Each shows its own message
 * when there is nothing to do and raises an error (for the guard to report) when it cannot go on.
 *
 * Both run on a store::PictureTransaction and show the picture again, without its block, before they change the
 * file: the save from memory while the file keeps its old bytes until the one rename, the delete after its one
 * truncate. Before anything they make sure that the current picture is the list's selected entry and that the file is
 * in the very state its picture and description were shown from (the block shown included), whoever else may have
 * changed it; the save also that it could replace the file. The state a command leaves the file in becomes the one
 * shown, so saving twice in a row works; a failure of the re-display after the delete's cut puts the block back.
 */
void saveDescription(MainLink& main);
void deleteDescription(MainLink& main);

} // namespace viewer
