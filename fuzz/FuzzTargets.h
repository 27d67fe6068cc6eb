#pragma once

#include <cstddef>
#include <cstdint>

// Bodies of the libFuzzer targets, kept apart from LLVMFuzzerTestOneInput so
// that the test suite can run them over seeds and mutations with any
// compiler. Each returns 0 and aborts on a broken invariant.
namespace zurfuzz {

// Loads the bytes as a DATAPACKET. Whatever loads must save, load again and
// save to the same bytes; browsing, filtering and ordering it must not fail
// other than with EZurError.
int DataPacket(const uint8_t* data, size_t size);

// Uses the bytes (UTF-8) as a filter text on a small dataset of every type.
int Filter(const uint8_t* data, size_t size);

// Reads the bytes as a coordinate file and walks it the way a print run
// does (every page, section, edit and rectangle, placed for a few indexes):
// only EZurError may come out, and placements must be repeatable.
int CoordFile(const uint8_t* data, size_t size);

// Reads the bytes as a code-table file and loads each of its tables by name
// the way the lookup does: only EZurError may come out, a loaded table has
// at least two columns of a valid width, and the document written back by
// the binding loads to the same table.
int CodeTable(const uint8_t* data, size_t size);

} // namespace zurfuzz
