// A reader that reaches up into the command line and into the plot window:
// the layering check must refuse both.
#include "cli/options.hpp"
#include "plot/window/plot_data.hpp"

#include "formats/fields.hpp"
