// Shared test fixtures are added here as the suites need them.
