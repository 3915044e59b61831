def pytest_addoption(parser):
    parser.addoption("--runner", help="the headless runner to test")
