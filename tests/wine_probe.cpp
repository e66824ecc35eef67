// SPDX-License-Identifier: MIT
// Started by the wine probe (cmake/wine-run --probe) before any test program runs under wine:
// it does nothing but end with 42, so that a wine that fails in any way is never taken for
// one that ran it.
int main() { return 42; }
