// A large synthetic registry for the root-store scan benchmark: several levels of vendor, product
// and feature keys, most of them leaves with a few values, and a few installer root stores among
// them (also some that only look like one).
#pragma once

// Seeds the registry of the current prefix unless it was seeded before. Returns the number of
// keys created.
long seed_synthetic_registry();
