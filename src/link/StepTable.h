// The download and upload steps as tables numbered in order: a step's row is found by its number, and
// the step after the last row completes the sequence.
#pragma once
#include <cstddef>

namespace quellix {

template <typename Row, std::size_t N> constexpr bool NumberedInOrder(const Row (&rows)[N]) {
    int expected = rows[0].step;
    for (const Row& row : rows)
        if (row.step != expected++)
            return false;
    return true;
}

template <typename Row, std::size_t N> constexpr int FirstStepOf(const Row (&rows)[N]) {
    return rows[0].step;
}

template <typename Row, std::size_t N> constexpr int DoneStepOf(const Row (&rows)[N]) {
    return rows[N - 1].step + 1;
}

// The row of a step, or nullptr for a step the table does not list.
template <typename Row, std::size_t N> constexpr const Row* StepRow(const Row (&rows)[N], int step) {
    const int at = step - rows[0].step;
    return at >= 0 && at < static_cast<int>(N) ? &rows[at] : nullptr;
}

} // namespace quellix
