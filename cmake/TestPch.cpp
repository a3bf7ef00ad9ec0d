// Compiled only so that its target makes the test programs' precompiled headers.
