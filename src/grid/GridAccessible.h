#pragma once

namespace norvalis {

class TCustomDrawGrid;

// Presents every TCustomDrawGrid to assistive technology as a table: the non-fixed cells
// are the table, the fixed rows and columns its column and row headers.
namespace GridAccessibility {

// Registers the accessibility factory for the grids (once per process).
void Install();
// Tells assistive technology that the grid's current cell moved.
void NotifyCurrentCellChanged(TCustomDrawGrid* grid);
// Tells assistive technology that the grid's rows or columns changed.
void NotifyLayoutChanged(TCustomDrawGrid* grid);

}  // namespace GridAccessibility

}  // namespace norvalis
