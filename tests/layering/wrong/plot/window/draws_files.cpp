// The plot window drawing a picture file: a layer beside it, not below.
#include "base/text.hpp"
#include "plot/files/picture.hpp"
#include "plot/window/plot_data.hpp"
