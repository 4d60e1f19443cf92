#pragma once

/// True when the processor has 64-byte vectors with byte compares into masks and 64-bit population counts
/// (x86-64 with AVX-512 F, BW and VPOPCNTDQ): the bit-plane kernels of the pair counts and of the tree's
/// levels run on it; elsewhere their byte kernels do. Checked once.
bool has_bit_plane_instructions();
