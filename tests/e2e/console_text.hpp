// The console text of the dialogue, written out literally.
#pragma once

#include <string>

namespace detrend::e2e {

inline const std::string inputPrompt = "\n Enter the input file (/ to exit)           ==> ";
inline const std::string outputPrompt = " Enter the output file                      ==> ";
inline const std::string columnsPrompt = " Enter number of columns                    ==> ";
inline const std::string flagPrompt = " Enter missing value flag e.g., -999.00     ==> ";
inline const std::string cutoffPrompt = "\n Enter the 50% frequency response cutoff    ==> ";
inline const std::string seriesReadHeading =
    "\n"
    " Series Read:________________________\n"
    " Name                     IYR     LYR\n";
inline const std::string closingLines = "\n Normal termination of Progra\n Close window to exit\n";

// Standard error of a run that treats series with no display.
inline const std::string noDisplayNote = "detrend: no display available; plots are not shown\n";

// Everything up to and including the flag prompt.
inline const std::string openingPrompts = inputPrompt + outputPrompt + columnsPrompt + flagPrompt;

}  // namespace detrend::e2e
