// Replaced as the library grows.
