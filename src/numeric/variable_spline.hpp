// A cubic smoothing spline of equally spaced values whose stiffness varies
// along the series, in double precision. The spline of spline.hpp after
// Reinsch, C. H. (1967), Smoothing by spline functions, Numer. Math. 10,
// 177-183, in the band form of Cook, E. R. and Peters, K. (1981), The
// smoothing spline: a new approach to standardizing forest interior
// tree-ring width series for dendroclimatic studies, Tree-Ring Bulletin 41,
// 45-53: s = y - Q x with Q the second-difference matrix and
// (Q'Q + P T) x = Q'y, T tridiagonal (4/3 on the diagonal, 1/3 beside it),
// stored as its lower band. With a parameter per point, row k of that lower
// band (the second difference of points k, k+1, k+2) takes the parameter
// p_k of its first point, on its diagonal and beside it; the matrix is the
// symmetric one of that lower band. p_k puts a spline's 50% response at the
// period nyrs_k; all periods equal, it is the spline of spline.hpp.
#pragma once

#include <span>
#include <vector>

namespace detrend::numeric {

// p for the period `nyrs` > 1: 6 (1 - cos w)^2 / (2 + cos w), w = 2 pi / nyrs.
double splineParameter(double nyrs);

// Fits the spline to y[0..n) with the period nyrs[i] at point i and writes
// it to s[0..n). False, s untouched, when n < 4 or the system is not
// positive definite. `work` is scratch. Requires nyrs.size() and
// s.size() >= n; s may be y.
bool variableSpline(std::span<const double> y, std::span<const double> nyrs, std::span<double> s,
                    std::vector<double>& work);

}  // namespace detrend::numeric
