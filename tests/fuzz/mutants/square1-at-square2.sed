# The write-back puts Square 1 at Square 2's position.
0,/const auto base = static_cast<std::size_t>(state.streamPosition\[k\]);/s##const auto base = static_cast<std::size_t>(state.streamPosition[k == 0 ? 1 : k]);#
