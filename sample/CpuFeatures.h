#pragma once

/// The cores this process may run on (its affinity mask, so a program pinned to one core sees 1), at least
/// 1: how many threads of its own a computation should keep busy at once.
int available_cores();

/// True when the processor has 64-byte vectors with byte compares into masks and 64-bit population counts
/// (x86-64 with AVX-512 F, BW and VPOPCNTDQ): the bit-plane kernels of the pair counts and of the tree's
/// levels run on it; elsewhere their byte kernels do. Checked once.
bool has_bit_plane_instructions();
