// The test framework's headers are parsed once per build, here, and every suite starts from
// what this file's compilation kept of them.
