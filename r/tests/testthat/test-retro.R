# The worked set of scripts/make_retro_example.py, shipped with the package: each peel's last
# year lies from the base by simple fractions.
worked <- function(names = c("base", "peel1", "peel2")) {
  folder <- system.file("extdata", "retro", package = "scantelk")
  as.list(setNames(file.path(folder, paste0(names, ".tmp")), names))
}

test_that("the worked example gives its fractions, in any order of the runs", {
  expected <- data.frame(
    run = rep(c("peel1", "peel2"), each = 3), year = rep(c(2008L, 2007L), each = 3),
    quantity = rep(c("ssb", "f", "recruitment"), 2),
    value = c(2750, 0.3, 10000, 1400, 0.75, 4000), base = c(2500, 0.4, 8000, 2000, 0.5, 5000),
    relative = c(0.1, -0.25, 0.25, -0.3, 0.5, -0.2)
  )
  for (order in list(c("base", "peel1", "peel2"), c("peel2", "base", "peel1"))) {
    table <- scantelk_retro(worked(order))
    expect_equal(table, expected, tolerance = 1e-12)
    expect_equal(mohns_rho(table), c(ssb = -0.1, f = 0.125, recruitment = 0.025),
                 tolerance = 1e-12)
  }
  expect_equal(mohns_rho(worked(), f_column = 2)[["f"]], 0.2, tolerance = 1e-12)
})

test_that("a zero in the base gives NA for that peel and that quantity's rho only", {
  text <- readLines(worked()$base)
  at <- grep("^Spawning Stock Biomass", text) + 1
  # The base's SSB in 2008, peel1's last year, is the ninth field.
  substr(text[at], 8 * 16 + 1, 9 * 16) <- "  0.000000E+000 "
  runs <- c(worked(c("peel1", "peel2")), base = write_summary(text))
  expect_equal(is.na(scantelk_retro(runs)$relative), c(TRUE, rep(FALSE, 5)))
  expect_equal(is.na(mohns_rho(runs)), c(ssb = TRUE, f = FALSE, recruitment = FALSE))
})

test_that("the analysis refuses with a message naming the fault", {
  refused <- list(
    "needs a base run and at least one peel; found 1" = function() scantelk_retro(worked("base")),
    "runs \"base\" and \"again\" both end in 2009" =
      function() scantelk_retro(c(worked(c("base", "peel1")), again = worked()$base)),
    "peel \"old\" ends in 1991, before the base run \"base\" begins in 2000" = function() {
      old <- write_summary(replace(readLines(tiny_path()), 2, "2  1990  2  1  1"))
      scantelk_retro(c(worked(c("base", "peel1")), old = old))
    },
    "\"peel1\" is given twice" =
      function() scantelk_retro(c(worked(c("base", "peel1")), worked("peel1"))),
    "f_column must be 1, 2 or 3" = function() scantelk_retro(worked(), f_column = 4),
    "f_column must be 1, 2 or 3" = function() mohns_rho(worked(), f_column = 0),
    "f_column must be 1, 2 or 3" = function() plot_retro(worked(), f_column = "2"),
    "f_column applies to runs" = function() mohns_rho(scantelk_retro(worked()), f_column = 2),
    "expected the result of scantelk_retro()" = function() mohns_rho(data.frame(relative = 0.1)),
    "every run needs a name" = function() scantelk_retro(unname(worked()))
  )
  for (k in seq_along(refused)) expect_error(refused[[k]](), names(refused)[k], fixed = TRUE)
})

test_that("plot_retro draws and returns the analysis", {
  png(tempfile(fileext = ".png"))
  on.exit(dev.off())
  expect_equal(plot_retro(worked()), scantelk_retro(worked()))
})

test_that("a set made by make_run.py --peel has the rho of its stated bias", {
  runs <- lapply(0:3, function(peel) {
    make_run("--years", "10", "--peel", peel, "--peel-bias", "0.05")
  })
  names(runs) <- paste0("minus", 0:3)
  expect_equal(scantelk_retro(runs)$run, rep(paste0("minus", 1:3), each = 3))
  # The summaries hold four significant digits of each estimate.
  expect_equal(mohns_rho(runs), c(ssb = 0.05, f = -0.05, recruitment = 0.05), tolerance = 0.04)
})
