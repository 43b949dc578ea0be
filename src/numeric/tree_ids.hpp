// Trees and cores read from the names of a site's series, where the names
// follow the usual pattern of a site code, a tree number and a core code
// (Stokes, M. A. and Smiley, T. L. (1968), An Introduction to Tree-Ring
// Dating, University of Chicago Press; the ITRDB's series identifiers):
// CAM011 and CAM012 are cores 1 and 2 of tree 01 of site CAM, BES04A and
// BES04B cores A and B of tree 04 of site BES.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace detrend::numeric {

struct TreeIds {
    // Per series: its tree and its core. A part of digits is numbered by its
    // value (tree 04 is 4); any other by its place among the distinct parts
    // in ascending order, from 1 (cores A, B are 1, 2).
    std::vector<std::size_t> tree, core;
    // Whether the names split consistently; when not, tree is 1, 2, ... and
    // every core 1: one tree per series.
    bool split = false;
    std::size_t siteLength = 0, treeLength = 0, coreLength = 0;  // characters of each part, when split
};

// Splits every name (blanks at either end removed) into a site part, the
// same in all, a tree part and a core part. All names must be equally long,
// of at least 2 characters. The site is the longest common beginning, but
// leaves at least one character each for tree and core; and where it ends in
// digits after something else, those digits go to the tree (BES04A, BES04B:
// site BES, tree 04). The core is the run of letters ending the names when
// they all end in letters after the tree, else the last character. The
// split is consistent when every core of a tree differs, the core runs are
// equally long and a core of digits is not 0 (a last digit 0 is a running
// number, not a core). One name or none split trivially (tree 1, core 1).
TreeIds treeIdsFromNames(std::span<const std::string> names);

}  // namespace detrend::numeric
