// Complex samples as the displays read them, without a copy: either
// interleaved (a sample row as the generators make it) or as separate rows
// of real and imaginary parts (a complex value as operations pass it). A
// real-valued row has no imaginary part.
#pragma once

#include <cstddef>

#include "runtime/types.h"

namespace tarvio {

class IqView {
 public:
  IqView() = default;
  // The samples of `x`, which must outlive the view. Implicit, so that a
  // sample row can be passed wherever a view is taken.
  IqView(const CVec& x)  // NOLINT(google-explicit-constructor)
      : re_(reinterpret_cast<const double*>(x.data())), im_(x.empty() ? nullptr : re_ + 1), n_(x.size()), stride_(2) {}
  // n samples from separate rows; `im` null: every imaginary part is 0.
  IqView(const double* re, const double* im, size_t n) : re_(re), im_(im), n_(n), stride_(1) {}

  size_t size() const { return n_; }
  bool empty() const { return n_ == 0; }
  double real(size_t k) const { return re_[k * stride_]; }
  double imag(size_t k) const { return im_ ? im_[k * stride_] : 0.0; }
  cplx operator[](size_t k) const { return {real(k), imag(k)}; }
  // For loops that want the layout itself: sample k's parts are at
  // re_data()[k * stride()] and im_data()[k * stride()]; im_data() is null
  // when every imaginary part is 0.
  const double* re_data() const { return re_; }
  const double* im_data() const { return im_; }
  size_t stride() const { return stride_; }

 private:
  const double* re_ = nullptr;
  const double* im_ = nullptr;
  size_t n_ = 0;
  size_t stride_ = 1;  // doubles from one sample's part to the next one's
};

}  // namespace tarvio
