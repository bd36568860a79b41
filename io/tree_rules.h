#pragma once
// The rules every contour-tree file the program writes keeps, checked on
// the records of a file as the reader reads them. They hold for the
// computed tree and for its laid-out copy (the layout moves positions, not
// values, vertex indices or persistence):
// - at least one branch;
// - persistence is the largest |w1 - w0| among the branch and its
//   descendants (never negative; on plateaus a child can reach further
//   than its parent's own ends) and falls (or stays) from each branch to
//   the next;
// - vertex indices follow the sweep order of the data, so a vertex of a
//   higher index never has a lower value;
// - a branch hangs from its parent at a vertex strictly between the
//   parent's ends (by index), at a value within the parent's range, and is
//   not more persistent than the parent;
// - a free end (ends[0], a minimum or maximum) ends one branch only and is
//   no branch's hanging vertex; the root's second end is a leaf as well.

#include <string>
#include <vector>

#include "io/tree_files.h"

namespace ctree {

// The first broken rule as "branch i: what" (or "vertex v: what"), or ""
// when the records keep them all. The records have passed the per-record
// checks of build_flat_tree (parents before children, vertex indices within
// slots, finite values, one position and value per vertex). exact: the
// persistence on each record must be that largest difference bit for bit
// (files of this program's version); otherwise it may differ by what 6
// significant digits lose, as in files written before values were kept
// exactly.
std::string check_tree_rules(const std::vector<PlyBranch>& records, size_t slots, bool exact);

// The source record among a header's comments: has is false when there is
// none; false with error when one is damaged or there are several.
bool read_source_record(const std::vector<std::string>& comments, TreeSource& source, bool& has, std::string& error);

// Whether the records belong to the loaded data: the recorded source must
// be data's; with or without one, vertex indices must lie within the
// data's vertex count, values within its range and (fieldPositions)
// positions within its box, and (data.extrema) the tree must have as many
// free ends as the data minima and maxima. Without a record the values
// and positions may be off by what 6 significant digits lose. "" when
// they do.
std::string check_tree_data(const std::vector<PlyBranch>& records, const TreeSource* recorded,
                            const TreeDataCheck& data);

}  // namespace ctree
