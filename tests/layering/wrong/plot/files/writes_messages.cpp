// A picture that writes its own messages: its own folder, base and numeric
// may be included, output may not.
#include "base/text.hpp"
#include "numeric/index.hpp"
#include "output/messages.hpp"
#include "plot/files/page.hpp"
