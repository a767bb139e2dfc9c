library(testthat)
library(scantelk)

test_check("scantelk")
