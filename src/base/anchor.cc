// Portable helpers: anchor so the library is never empty.
namespace brx { int base_anchor; }
