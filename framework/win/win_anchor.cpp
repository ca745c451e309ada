// Keeps the library non-empty while it grows.
