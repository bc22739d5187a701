#pragma once
// The workshop's batch measured: orbiqa-cli provision writing and verifying 8 line-timed
// simulated modules at once against the same for one module, with the program's CPU time.

namespace orbiqa::bench {

/// Prints the figures; false when a run failed. runs: provision runs per batch size.
bool RunProvisionBench(int runs);

}  // namespace orbiqa::bench
