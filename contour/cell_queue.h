#pragma once
// The work queue of contour propagation: a growable circular queue of cell
// identifiers. Owns its ring; capacity starts at 100 and doubles, and the
// order of the queued cells survives every growth.

#include <cassert>
#include <vector>

namespace contour {

class CellQueue {
 public:
  CellQueue() : cells(100) {}

  bool Empty() const { return count == 0; }
  int Count() const { return count; }
  int Capacity() const { return int(cells.size()); }

  void Add(int cell) {
    ++count;
    if (count > int(cells.size())) {
      // The wrapped part (head .. old end) moves to the end of the new ring.
      int old = int(cells.size());
      cells.resize(2 * old);
      if (head > 0) {
        for (int k = old - 1; k >= head; --k) cells[k + old] = cells[k];
        head += old;
      }
    }
    cells[(head + count - 1) % cells.size()] = cell;
  }

  // Removes and returns the oldest cell; the queue must not be empty.
  int Get() {
    assert(count > 0);
    int c = cells[head];
    if (++head == int(cells.size())) head = 0;
    --count;
    return c;
  }

  void Clear() { count = head = 0; }

 private:
  std::vector<int> cells;
  int count = 0;
  int head = 0;
};

}  // namespace contour
