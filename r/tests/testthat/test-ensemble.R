# Copies of the golden summaries `sources` in a new folder, named a, b, c, ...
copies <- function(sources) {
  folder <- tempfile("runs")
  dir.create(folder)
  paths <- file.path(folder, paste0(letters[seq_along(sources)], ".tmp"))
  file.copy(vapply(sources, function(source) repo_file("tests", "golden", paste0(source, ".tmp")),
                   ""), paths)
  paths
}

# (4) gather: one table however the files are read.

test_that("scantelk_gather gives scantelk_compare's table, serially and on a cluster", {
  paths <- copies(c("haddock", "tiny", "haddock", "fleets", "tiny"))
  expected <- scantelk_compare(setNames(as.list(rev(paths)), rev(letters[1:5])))
  cl <- parallel::makeCluster(2)
  on.exit(parallel::stopCluster(cl))
  for (way in list(NULL, cl)) {
    expect_identical(scantelk_gather(rev(paths), cl = way), expected)
    expect_equal(levels(scantelk_gather(file.path(dirname(paths[1]), "*.tmp"), cl = way)$run),
                 letters[1:5])
    broken <- paths[3]
    writeBin(readBin(broken, "raw", 1e6)[1:1000], broken)
    expect_error(scantelk_gather(paths, cl = way), paste0(broken, ": the file is 1000 bytes"),
                 fixed = TRUE)
    file.copy(paths[1], broken, overwrite = TRUE)
    expect_error(scantelk_gather(c(paths[1:2], "gone.tmp"), cl = way),
                 "gone.tmp: No such file or directory", fixed = TRUE)
  }
})

test_that("scantelk_gather reads the summaries alone, not a fits CSV beside one", {
  paths <- copies(c("tiny", "tiny"))
  writeLines("not a fits file", sub("[.]tmp$", ".fits.csv", paths[2]))
  expect_error(read_scantelk(paths[2]), "line 1: expected the header", fixed = TRUE)
  expect_identical(scantelk_gather(paths), scantelk_compare(list(a = paths[1], b = paths[1])))
})

test_that("scantelk_gather refuses names it cannot tell apart, before reading", {
  cases <- list(
    list(c("x/run.tmp", "y/run.tmp"), NULL, "two runs are named \"run\": x/run.tmp and y/run.tmp"),
    list(c("a.tmp", "b.tmp"), c("s", "s"), "two runs are named \"s\": a.tmp and b.tmp"),
    list(c("a.tmp", "b.tmp"), "s", "1 names for 2 files"),
    list("nowhere/*.tmp", NULL, "no file matches nowhere/*.tmp"))
  for (case in cases) expect_error(scantelk_gather(case[[1]], case[[2]]), case[[3]], fixed = TRUE)
})

# (5) Quantiles and the fan chart.

# Three runs of two years, 2000 and 2001, whose SSB, age-1 numbers and F column 2 are set by
# hand; the first run lacks a value in 2001.
three_runs <- function() {
  values <- list(c(1, NaN), c(2, 4), c(4, 8))
  lapply(values, function(v) {
    run <- read_scantelk(tiny_path())
    run$ssb[] <- v
    run$stock_numbers["1", ] <- 10 * v
    run$average_f["2", ] <- v / 10
    run
  })
}

test_that("scantelk_quantiles are type 7 over the runs that have a value", {
  # Of 1, 2, 4 at p: position 1 + 2p; of 4, 8 (the NaN left out): 1 + p.
  ssb <- c(1.1, 1.5, 2, 3, 3.8, 4.2, 5, 6, 7, 7.8)
  q <- scantelk_quantiles(three_runs(), f_column = 2)
  for (case in list(list("ssb", 1), list("recruitment", 10), list("f", 0.1))) {
    rows <- q[q$quantity == case[[1]], ]
    expect_equal(rows$year, rep(2000:2001, each = 5))
    expect_equal(rows$prob, rep(c(0.05, 0.25, 0.5, 0.75, 0.95), 2))
    expect_equal(rows$value, ssb * case[[2]])
    expect_equal(rows$n_runs, rep(c(3L, 2L), each = 5))
  }
  expect_error(scantelk_quantiles(three_runs(), probs = c(0.5, 1.5)),
               "probs must lie between 0 and 1")
})

test_that("plot_ensemble draws, and refuses a base that is not a run", {
  runs <- setNames(three_runs(), c("one", "two", "three"))
  png(tempfile(fileext = ".png"))
  on.exit(dev.off())
  expect_equal(plot_ensemble(runs, base = "two"), scantelk_quantiles(runs))
  expect_error(plot_ensemble(runs, base = "four"), "base \"four\" is not a run of the ensemble",
               fixed = TRUE)
})
