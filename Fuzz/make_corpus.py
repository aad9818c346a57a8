#!/usr/bin/env python3
"""Writes the seed inputs of FuzzUnstructuredGridGenerator into Fuzz/corpus.

Each seed is the five header bytes (coordinate layout, number of points,
connectivity layout, cell-type layout, number of cells) followed by value
tokens: the cell types, then the connectivity stream. Token bytes below 0xE0
stand for themselves; see FuzzUnstructuredGridGenerator.cxx for the escapes.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))

# Array layouts: connectivity 0 vtkIdType, 2 int, 3 float, 4 double, 8 SOA id;
# cell types 0 int, 2 unsigned char, 3 double, 7 SOA int; +0x20 two components.
SEEDS = {
    # A tetrahedron and a triangle, the common layout read in place.
    "tetra_triangle": [0x00, 4, 0x00, 0x00, 2, 10, 5, 4, 0, 1, 2, 3, 3, 0, 1, 2],
    # A tetrahedron as a polyhedron, then a quad right behind its faces.
    "polyhedron_quad": [0x08, 4, 0x00, 0x00, 2, 42, 9,
                        4, 3, 0, 1, 2, 3, 0, 1, 3, 3, 0, 2, 3, 3, 1, 2, 3,
                        4, 0, 1, 2, 3],
    # A hexahedron from float connectivity and a double type 12.875 (0xF4 0xE7).
    "hexahedron_float_double": [0x00, 8, 0x03, 0x03, 1, 0xF4, 0xE7, 8, 0, 1, 2, 3, 4, 5, 6, 7],
    # Two-component connectivity and SOA cell types: a polygon and a vertex.
    "polygon_multicomponent": [0x10, 6, 0x20, 0x07, 2, 7, 1, 5, 0, 1, 2, 3, 4, 1, 5],
    # Unsigned char types, int connectivity, a Lagrange curve and a poly-line.
    "lagrange_polyline": [0x00, 5, 0x02, 0x02, 2, 68, 4, 3, 0, 1, 2, 4, 1, 2, 3, 4],
    # An id equal to the number of points (0xF5): must be rejected.
    "id_out_of_range": [0x00, 3, 0x00, 0x00, 1, 5, 3, 0, 1, 0xF5],
    # A type VTK does not know.
    "unknown_type": [0x00, 3, 0x00, 0x00, 1, 200, 3, 0, 1, 2],
    # The stream ends inside the second cell.
    "short_stream": [0x00, 4, 0x04, 0x00, 2, 5, 5, 3, 0, 1, 2, 3, 0],
    # Two-component coordinates.
    "two_component_points": [0x05, 3, 0x00, 0x00, 1, 5, 3, 0, 1, 2],
    # The connectivity array left unset (byte 2 bit 7, byte 0 bits 6-7 = 1):
    # no error, the previous grid stays; 32-bit cell array for FillCellArray.
    "unset_connectivity": [0x40, 3, 0x80, 0x40, 1, 5, 3, 0, 1, 2],
    # A polyhedron face with two points.
    "polyhedron_small_face": [0x00, 4, 0x08, 0x00, 1, 42, 1, 2, 0, 1],
}


def main():
    out = os.path.join(HERE, "corpus")
    os.makedirs(out, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(bytes(data))


if __name__ == "__main__":
    main()
