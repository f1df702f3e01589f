#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

#include "platform/uikit/NSLayoutConstraint.h"
#include "platform/uikit/UIView.h"

// Solves a view's constraints as linear equalities over the frames of its
// subviews (x, y, width, height each), by incremental Gauss-Jordan
// elimination. A constraint that contradicts earlier ones is reported and
// dropped; a natural content size holds where constraints leave a size open;
// whatever is still open keeps its current value, and is reported unless the
// view was given a frame of its own.

namespace {

constexpr double epsilon = 1e-9;
const char* variableNames[] = {"x", "y", "width", "height"};

struct Linear {
  std::map<int, double> terms;  // variable index → coefficient
  double constant = 0;
};

class Solver {
 public:
  explicit Solver(UIView* container) : container_(container) {}

  /// Adds an equation; false if it contradicts those already added. `optional`
  /// equations that add nothing new are dropped without a word.
  bool add(std::vector<double> row, double value) {
    row.resize(variables(), 0);
    for (auto& existing : rows_) {
      double factor = row[static_cast<std::size_t>(existing.pivot)];
      if (std::fabs(factor) < epsilon) continue;
      for (std::size_t i = 0; i < row.size(); ++i) row[i] -= factor * existing.coefficients[i];
      value -= factor * existing.value;
    }
    std::size_t pivot = 0;
    for (std::size_t i = 1; i < row.size(); ++i)
      if (std::fabs(row[i]) > std::fabs(row[pivot])) pivot = i;
    if (row.empty() || std::fabs(row[pivot]) < epsilon) return std::fabs(value) < 1e-6;
    double scale = row[pivot];
    for (double& coefficient : row) coefficient /= scale;
    value /= scale;
    for (auto& existing : rows_) {
      double factor = existing.coefficients[pivot];
      if (std::fabs(factor) < epsilon) continue;
      for (std::size_t i = 0; i < row.size(); ++i) existing.coefficients[i] -= factor * row[i];
      existing.value -= factor * value;
    }
    rows_.push_back({std::move(row), value, static_cast<int>(pivot)});
    return true;
  }

  bool determined(int variable) const {
    for (auto& row : rows_)
      if (row.pivot == variable) return true;
    return false;
  }
  /// Whether adding `row` would tell anything new.
  bool independent(std::vector<double> row) const {
    row.resize(variables(), 0);
    for (auto& existing : rows_) {
      double factor = row[static_cast<std::size_t>(existing.pivot)];
      if (std::fabs(factor) < epsilon) continue;
      for (std::size_t i = 0; i < row.size(); ++i) row[i] -= factor * existing.coefficients[i];
    }
    for (double coefficient : row)
      if (std::fabs(coefficient) > epsilon) return true;
    return false;
  }
  double value(int variable) const {
    for (auto& row : rows_)
      if (row.pivot == variable) return row.value;
    return 0;
  }

  int indexOf(UIView* view) {
    auto found = index_.find(view);
    if (found != index_.end()) return found->second;
    int base = static_cast<int>(views_.size()) * 4;
    views_.push_back(view);
    index_[view] = base;
    return base;
  }
  bool unknown(UIView* view) const { return view && view != container_ && !view->translatesAutoresizingMaskIntoConstraints(); }

  Linear attribute(UIView* view, NSLayoutAttribute which) {
    Linear result;
    if (!view) return result;
    if (!unknown(view)) {
      CGRect frame = view == container_ ? CGRectMake(0, 0, view->frame().size.width, view->frame().size.height) : view->frame();
      double x = frame.origin.x, y = frame.origin.y, w = frame.size.width, h = frame.size.height;
      switch (which) {
        case NSLayoutAttributeLeft: case NSLayoutAttributeLeading: result.constant = x; break;
        case NSLayoutAttributeRight: case NSLayoutAttributeTrailing: result.constant = x + w; break;
        case NSLayoutAttributeTop: result.constant = y; break;
        case NSLayoutAttributeBottom: result.constant = y + h; break;
        case NSLayoutAttributeWidth: result.constant = w; break;
        case NSLayoutAttributeHeight: result.constant = h; break;
        case NSLayoutAttributeCenterX: result.constant = x + w / 2; break;
        case NSLayoutAttributeCenterY: result.constant = y + h / 2; break;
        default: break;
      }
      return result;
    }
    int base = indexOf(view);
    int x = base, y = base + 1, w = base + 2, h = base + 3;
    switch (which) {
      case NSLayoutAttributeLeft: case NSLayoutAttributeLeading: result.terms[x] = 1; break;
      case NSLayoutAttributeRight: case NSLayoutAttributeTrailing: result.terms[x] = 1, result.terms[w] = 1; break;
      case NSLayoutAttributeTop: result.terms[y] = 1; break;
      case NSLayoutAttributeBottom: result.terms[y] = 1, result.terms[h] = 1; break;
      case NSLayoutAttributeWidth: result.terms[w] = 1; break;
      case NSLayoutAttributeHeight: result.terms[h] = 1; break;
      case NSLayoutAttributeCenterX: result.terms[x] = 1, result.terms[w] = 0.5; break;
      case NSLayoutAttributeCenterY: result.terms[y] = 1, result.terms[h] = 0.5; break;
      default: break;
    }
    return result;
  }

  std::vector<double> rowOf(const std::map<int, double>& terms) const {
    std::vector<double> row(variables(), 0);
    for (auto& [variable, coefficient] : terms) row[static_cast<std::size_t>(variable)] += coefficient;
    return row;
  }

  std::size_t variables() const { return views_.size() * 4; }
  const std::vector<UIView*>& views() const { return views_; }

 private:
  struct Row {
    std::vector<double> coefficients;
    double value;
    int pivot;
  };
  UIView* container_;
  std::vector<UIView*> views_;
  std::map<UIView*, int> index_;
  std::vector<Row> rows_;
};

}  // namespace

void UIView::layoutIfNeeded() {
  if (constraints_.empty()) return;
  Solver solver(this);
  // Every unknown view gets its variables before the first equation, so rows have one length.
  for (auto& constraint : constraints_)
    for (UIView* view : {constraint->firstItem(), constraint->secondItem()})
      if (solver.unknown(view)) solver.indexOf(view);
  for (auto& constraint : constraints_) {
    Linear left = solver.attribute(constraint->firstItem(), constraint->firstAttribute());
    Linear right = solver.attribute(constraint->secondItem(), constraint->secondAttribute());
    std::map<int, double> terms = left.terms;
    for (auto& [variable, coefficient] : right.terms) terms[variable] -= constraint->multiplier() * coefficient;
    double value = constraint->multiplier() * right.constant + constraint->constant() - left.constant;
    if (!solver.add(solver.rowOf(terms), value))
      std::fprintf(stderr, "Unable to simultaneously satisfy constraints: dropping %s\n", constraint->description().c_str());
  }
  for (UIView* view : solver.views()) {
    CGSize natural = view->intrinsicContentSize();
    int base = solver.indexOf(view);
    if (natural.width >= 0 && solver.independent(solver.rowOf({{base + 2, 1}}))) solver.add(solver.rowOf({{base + 2, 1}}), natural.width);
    if (natural.height >= 0 && solver.independent(solver.rowOf({{base + 3, 1}}))) solver.add(solver.rowOf({{base + 3, 1}}), natural.height);
  }
  for (UIView* view : solver.views()) {
    int base = solver.indexOf(view);
    CGRect frame = view->frame();
    double current[] = {frame.origin.x, frame.origin.y, frame.size.width, frame.size.height};
    for (int part = 0; part < 4; ++part) {
      if (solver.determined(base + part)) continue;
      std::vector<double> row = solver.rowOf({{base + part, 1}});
      if (!solver.independent(row)) continue;
      // A view given a frame of its own keeps it where constraints say nothing.
      if (!(frame == CGRectZero)) {
        solver.add(row, current[part]);
        continue;
      }
      std::fprintf(stderr, "Ambiguous layout: the %s of %s:%p is not determined by its constraints\n", variableNames[part],
                   object_getClassName(view), static_cast<void*>(view));
      solver.add(row, current[part]);
    }
  }
  for (UIView* view : solver.views()) {
    int base = solver.indexOf(view);
    view->setFrame(CGRectMake(solver.value(base), solver.value(base + 1), solver.value(base + 2), solver.value(base + 3)));
  }
}
