#pragma once
// Network ports measured: a read of all blocks through ser2net in RFC 2217 mode against a local
// read of the same line-timed simulated module, with the program's CPU time; and orbiqa-cli
// provision of 8 modules through 8 network ports against one.

namespace orbiqa::bench {

/// Prints the figures; false when a run failed. runs: reads per path and provisions per batch.
bool RunNetworkReadBench(int runs);
bool RunNetworkProvisionBench(int runs);

}  // namespace orbiqa::bench
