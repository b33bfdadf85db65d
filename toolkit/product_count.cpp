#include "toolkit/product_count.h"

int count_products_using_toolkit(int entries,
                                 const std::function<bool(const std::wstring&)>& registered) {
  if (entries < 1) return entries;
  int products = entries;
  if (registered(L"TOOLKIT")) --products;
  if (registered(L"QLPRO") && registered(L"MZPRO")) --products;
  return products;
}
