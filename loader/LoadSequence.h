#pragma once

namespace qb480 {

class CLoaderDlg;

// The one download of a run: pick and convert the firmware, check the board
// driver, hand the board values and the image name to the helper service,
// start it, report, remove it; then the main dialog ends.
void RunLoadSequence(CLoaderDlg& dialog);

}  // namespace qb480
