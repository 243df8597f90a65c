#pragma once
// The minimum of a convex quadratic with every variable held within the
// same bounds: what the equaliser's least squares become once each band's
// value must stay between the largest cut and the largest boost.
#include <Eigen/Dense>

namespace kp::tuning {

// Minimises 1/2 v'Hv + g'v with lo <= v <= hi, from start, by active sets:
// the free values solved exactly (Eigen's LDLT), a value that leaves the
// bounds held at the bound it crossed, a held one released when the
// gradient pulls it back inside. H must be positive definite.
Eigen::VectorXd boundedMinimum(const Eigen::MatrixXd& h, const Eigen::VectorXd& g, double lo,
                               double hi, Eigen::VectorXd start);

}  // namespace kp::tuning
