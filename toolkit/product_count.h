// How many products use the Dizavad, from its registration list.
#pragma once

#include <functional>
#include <string>

// The number of products among the `entries` entries of product.cfg, given a test of whether a
// code is registered: TOOLKIT is the framework's own entry, not a product, and QLPRO and MZPRO
// share one installation, so together they count once. MZPRO is asked only when QLPRO is
// registered; with no entries (or a negative, unknown number) nothing is asked and `entries` is
// returned as it is.
int count_products_using_toolkit(int entries,
                                 const std::function<bool(const std::wstring&)>& registered);
