# A hand-made set of proportions for the tiny run (catch input sample size 100 in 2000 and
# 2001, discard input sample size 0): the same text and numbers are in the Python tests.
cases <- c(
  "table,fleet,year,age,observed,predicted",
  "catch_proportions,1,2000,1,0.3,0.2",
  "catch_proportions,1,2000,2,0.5,0.5",
  "catch_proportions,1,2000,3,0.2,0.3",
  "catch_proportions,1,2001,1,,0.25",
  "catch_proportions,1,2001,2,0.4,0",
  "catch_proportions,1,2001,3,0.4,1",
  "catch_proportions,2,2000,1,0.5,0.5",
  "discard_proportions,1,2000,1,0.1,0.2"
)

# The tiny summary and its fits CSV, copied to a folder of their own.
tiny_with_fits <- function() {
  folder <- tempfile("tiny")
  dir.create(folder)
  file.copy(system.file("extdata", c("tiny.tmp", "tiny.fits.csv"), package = "scantelk"),
            folder)
  file.path(folder, "tiny.tmp")
}

cases_run <- function() {
  csv <- tempfile(fileext = ".fits.csv")
  writeLines(cases, csv)
  run <- read_scantelk(tiny_with_fits())
  run$fits <- read_fits(csv)
  run
}

test_that("the fits beside a summary are read with their types", {
  fits <- read_scantelk(tiny_with_fits())$fits
  expect_equal(vapply(fits, typeof, ""), c(table = "character", fleet = "integer",
                                           year = "integer", age = "integer",
                                           observed = "double", predicted = "double"))
  expect_equal(fits[2, 1:3], data.frame(table = "catch", fleet = 1L, year = 2001L),
               ignore_attr = TRUE)
  expect_true(all(is.na(fits$age[1:4])))
  expect_equal(fits$predicted[1:2], c(1498.2, 1260.1))
  expect_equal(unique(fits$table), c("catch", "discards", "catch_proportions",
                                     "discard_proportions"))
  header_only <- tempfile(fileext = ".fits.csv")
  writeLines("table,fleet,year,age,observed,predicted", header_only)
  expect_equal(vapply(read_fits(header_only), typeof, ""), vapply(fits, typeof, ""))
})

test_that("numbers read as the nearest double, as Python's float() reads them", {
  # R's own as.numeric() reads each of these one unit in the last place off.
  path <- tempfile(fileext = ".fits.csv")
  writeLines(c("table,fleet,year,age,observed,predicted",
               "catch,1,2000,,1.123286952001811e+302,2.308677408476536e-254"), path)
  expect_identical(unlist(read_fits(path)[5:6], use.names = FALSE),
                   c(0x1.4f769b8508495p+1003, 0x1.5aa6108b0b9efp-843))
})

test_that("no CSV gives no fits, and an older one is left out with a warning", {
  summary <- tiny_with_fits()
  csv <- sub("tmp$", "fits.csv", summary)
  Sys.setFileTime(csv, file.mtime(summary) - 0.5)  # as a copy without file times leaves it
  expect_false(is.null(read_scantelk(summary)$fits))
  Sys.setFileTime(csv, file.mtime(summary) - 2)
  expect_warning(run <- read_scantelk(summary), paste(csv, "is older than", summary),
                 fixed = TRUE)
  expect_null(run$fits)
  unlink(csv)
  expect_false("fits" %in% names(read_scantelk(summary)))
})

test_that("the CSV is named from the summary by its file name's extension", {
  expect_equal(scantelk:::fits_path(c("run.tmp", "base", "runs.v2/base", "model.run2.tmp")),
               c("run.fits.csv", "base.fits.csv", "runs.v2/base.fits.csv",
                 "model.run2.fits.csv"))
})

test_that("Pearson residuals use the input sample size and are missing where undefined", {
  residuals <- composition_residuals(cases_run())
  expect_equal(names(residuals), c("fleet", "year", "age", "observed", "predicted", "n",
                                   "residual"))
  # (0.3 - 0.2) / sqrt(0.2 * 0.8 / 100) and (0.2 - 0.3) / sqrt(0.3 * 0.7 / 100); then a
  # missing observed, a predicted of 0 and of 1, and fleet 2, which has no sample size.
  expect_equal(residuals$residual, c(2.5, 0, -0.1 / sqrt(0.0021), NA, NA, NA, NA),
               tolerance = 1e-12)
  expect_equal(residuals$n, c(rep(100, 6), NA))
  discards <- composition_residuals(cases_run(), "discard_proportions")
  expect_equal(discards[, c("n", "residual")], data.frame(n = 0, residual = NA_real_))
})

test_that("mean ages are taken over the ages with both values", {
  ages <- mean_age(cases_run())
  # 2000: (0.3 + 2 * 0.5 + 3 * 0.2) / 1 and (0.2 + 2 * 0.5 + 3 * 0.3) / 1; 2001 without its
  # first age: (2 * 0.4 + 3 * 0.4) / 0.8 and (2 * 0 + 3 * 1) / 1.
  expect_equal(ages, data.frame(fleet = c(1L, 1L, 2L), year = c(2000L, 2001L, 2000L),
                                observed = c(1.9, 2.5, 1), predicted = c(2.1, 3, 1)),
               tolerance = 1e-12)
})

test_that("a run without fits is refused with how to get them", {
  summary <- tiny_with_fits()
  unlink(sub("tmp$", "fits.csv", summary))
  run <- read_scantelk(summary)
  for (draw in list(composition_residuals, mean_age, plot_fits)) {
    expect_error(draw(run), "no fits: convert it with scantelk --fits", fixed = TRUE)
  }
})

test_that("a run without fleets has fits without rows", {
  run <- read_scantelk(tiny_with_fits())
  run$fits <- run$fits[0, ]
  expect_equal(nrow(composition_residuals(run)), 0)
  expect_equal(nrow(mean_age(run)), 0)
})

test_that("a malformed CSV is refused with its name and line", {
  text <- readLines(system.file("extdata", "tiny.fits.csv", package = "scantelk"))
  edit <- function(from, to) sub(from, to, text, fixed = TRUE)
  damaged <- list(
    "line 1: expected the header \"table,fleet" = edit("table,", "Table,"),
    "line 3: expected 6 fields, found 7" = edit("2001,,1250.5", "2001,,1250.5,"),
    "line 5: \"discard\" is not one" = edit("discards,1,2001", "discard,1,2001"),
    "line 3: the fleet \"0x1\" is not" = edit("catch,1,2001", "catch,0x1,2001"),
    "line 3: a total of catch has no age" = edit("catch,1,2001,", "catch,1,2001,2"),
    "line 7: the age \"\" is not a whole" = edit("1,2000,2,0.4", "1,2000,,0.4"),
    "line 3: the predicted value \"1_260.1\" is not" = edit("1260.1", "1_260.1"),
    "line 8: expected the lines in order" = edit("2001,1,0.55", "1999,1,0.55")
  )
  for (expected in names(damaged)) {
    path <- tempfile(fileext = ".fits.csv")
    writeLines(damaged[[expected]], path)
    expect_error(read_fits(path), paste(path, expected), fixed = TRUE)
  }
  path <- tempfile(fileext = ".fits.csv")
  writeBin(charToRaw(paste(text, collapse = "\r\n")), path)
  expect_error(read_fits(path), paste(path, "line 1: the byte 0x0D is not printable ASCII"),
               fixed = TRUE)
  writeBin(charToRaw(paste(text, collapse = "\n")), path)
  expect_error(read_fits(path), paste(path, "line 13: the file ends inside a line"),
               fixed = TRUE)
})

test_that("plot_fits draws and returns its tables; discards only where a fleet has any", {
  summary <- tiny_with_fits()
  png(tempfile(fileext = ".png"))
  on.exit(dev.off())
  drawn <- plot_fits(summary)
  expect_equal(drawn$residuals$catch_proportions$residual,
               composition_residuals(read_scantelk(summary))$residual)
  expect_false(scantelk:::has_discards(drawn$fits, 1))
  drawn$fits$observed[drawn$fits$table == "discards"] <- c(0, 3)
  expect_true(scantelk:::has_discards(drawn$fits, 1))
})

test_that("the example's fits hold every fleet, year and age, and the summary's catch", {
  skip_if(Sys.getenv("SCANTELK_BINARY") == "", "SCANTELK_BINARY is not set")
  folder <- tempfile("haddock")
  dir.create(folder)
  file.copy(repo_file("examples", c("haddock.dat", "haddock.rep")), folder)
  expect_equal(system2(Sys.getenv("SCANTELK_BINARY"),
                       shQuote(c("--fits", file.path(folder, "haddock.dat")))), 0)
  run <- read_scantelk(file.path(folder, "haddock.tmp"))
  expect_equal(as.vector(table(factor(run$fits$table, unique(run$fits$table)))),
               c(80, 80, 800, 800))
  expect_equal(run$fits$observed[1:40], unname(run$catch_weight["1", ]))
  expect_true(all(composition_residuals(run)$n == 100))
})
